# The demo menu's form.
menu*title: Menu
menu*quit.label: Quit
