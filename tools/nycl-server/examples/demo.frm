# The demo form.
demo*title: nycl-server demo
demo*greeting.label: Hello from nycl-server
