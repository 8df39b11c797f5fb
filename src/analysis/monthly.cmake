# The Item Analyzer's chart of the selected item's sales by month: the months in the core,
# the chart in the GUI library. It is painted with QPainter: Debian's Qt Charts package
# configures only with the OpenGL development files as well, and a bar chart needs neither.
target_sources(corvina_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ItemMonthlySales.cpp ${CMAKE_CURRENT_LIST_DIR}/ItemMonthlySales.h)
target_sources(corvina_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ui/ItemSalesChart.cpp ${CMAKE_CURRENT_LIST_DIR}/ui/ItemSalesChart.h)
