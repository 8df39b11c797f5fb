# The customer browser and the customer field printing with its preview.
target_sources(corvina_core PRIVATE
  CustomerList.cpp CustomerTable.cpp CustomerBrowser.cpp CustomerGridModel.cpp
  FieldPrintLayout.cpp FieldPrintJob.cpp)
target_sources(corvina_gui PRIVATE
  ui/CustData.cpp ui/CustFlds.cpp ui/Prev.cpp ui/FieldPrintPainter.cpp)
