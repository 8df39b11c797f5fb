# The customer browser and the customer field printing.
corvina_add_test(views_customers_test CustomerBrowserTest.cpp FieldPrintTest.cpp CustomerTestRows.cpp LIBS Qt6::Test)
