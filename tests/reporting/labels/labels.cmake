# Mailing labels: label rows and fitting without a display; the sheets rendered to PDF and the
# windows that open them offscreen.
corvina_add_test(reporting_labels_test ${CMAKE_CURRENT_LIST_DIR}/LabelRowsTest.cpp)
corvina_add_test(reporting_labels_render_test GUI ${CMAKE_CURRENT_LIST_DIR}/LabelSheetRenderTest.cpp
  LIBS Qt6::Test)
