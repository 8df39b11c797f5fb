# The banded-report engine: layout, formats and pagination in the core; painting, printing
# and the preview window in the GUI library.
target_sources(corvina_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/Format.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Format.h
  ${CMAKE_CURRENT_LIST_DIR}/MemoryRows.cpp
  ${CMAKE_CURRENT_LIST_DIR}/MemoryRows.h
  ${CMAKE_CURRENT_LIST_DIR}/ReportLayout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReportLayout.h
  ${CMAKE_CURRENT_LIST_DIR}/ReportPages.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ReportPages.h
  ${CMAKE_CURRENT_LIST_DIR}/ReportRows.h)
target_sources(corvina_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ui/ReportDocument.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui/ReportDocument.h
  ${CMAKE_CURRENT_LIST_DIR}/ui/PagedDocument.h
  ${CMAKE_CURRENT_LIST_DIR}/ui/ReportPreview.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui/ReportPreview.h)
