# Workbooks (used by the exports), the Item Analyzer export and the customers not buying.
pkg_check_modules(XLSXWRITER REQUIRED IMPORTED_TARGET GLOBAL xlsxwriter)
target_link_libraries(corvina_core PUBLIC PkgConfig::XLSXWRITER)
target_sources(corvina_core PRIVATE
  ${CMAKE_SOURCE_DIR}/src/reporting/Workbook.cpp)
target_sources(corvina_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ItemAnalyzerExport.cpp)
target_sources(corvina_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ui/ExportCrit.cpp)
target_sources(corvina_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CustsNotBuying.cpp)
target_sources(corvina_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CustsGridModel.cpp)
target_sources(corvina_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ui/Custs.cpp)
