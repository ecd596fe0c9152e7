# The customer form. The server places the fields; their labels and the comments shown while
# a field has the focus are the form's.
custmaint*customer*cust_no.label: Customer no.:
custmaint*customer*cust_no.comment: The customer's number; it cannot be changed.
custmaint*customer*cust_name.label: Name:
custmaint*customer*cust_name.comment: The name on invoices and letters.
custmaint*customer*city.label: City:
custmaint*customer*city.comment: Where the goods are delivered.
custmaint*customer*phone.label: Phone:
custmaint*customer*phone.comment: Whom to call about an order.
