# The orders form: a window with the customer's orders in a list. The server sends no title
# for the window; this is it.
custmaint*orders.title: Open orders
