# The campaign lists, their mail-merge table, workbook and window.
corvina_add_test(analysis_campaign_test
  ${CMAKE_CURRENT_LIST_DIR}/CampaignListsTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CampaignMailingTest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../XlsxRead.cpp)
corvina_add_test(analysis_campaign_ui_test GUI
  ${CMAKE_CURRENT_LIST_DIR}/CampaignWindowTest.cpp
  LIBS Qt6::Test)
