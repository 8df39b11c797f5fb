# The campaign lists: lapsed customers, due to reorder, bought A not B, RFM segments. The
# RFM chart is painted with QPainter: Debian's Qt Charts package configures only with the
# OpenGL development files as well, and a bar chart needs neither.
target_sources(corvina_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/CampaignData.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CampaignLists.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CampaignText.cpp
  ${CMAKE_CURRENT_LIST_DIR}/Rfm.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CampaignMailing.cpp
  ${CMAKE_CURRENT_LIST_DIR}/CampaignGridModel.cpp)
target_sources(corvina_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ui/CampaignLists.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui/CampaignPanels.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui/RfmChart.cpp
  ${CMAKE_CURRENT_LIST_DIR}/ui/CampaignLabels.cpp)
