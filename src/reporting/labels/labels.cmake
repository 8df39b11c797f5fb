# Mailing labels: label rows, sheets and text fitting in the core; the label sheet's painting
# and its preview window in the GUI library.
target_sources(corvina_core PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/LabelFit.cpp ${CMAKE_CURRENT_LIST_DIR}/LabelFit.h
  ${CMAKE_CURRENT_LIST_DIR}/LabelSheet.cpp ${CMAKE_CURRENT_LIST_DIR}/LabelSheet.h
  ${CMAKE_CURRENT_LIST_DIR}/MailingList.cpp ${CMAKE_CURRENT_LIST_DIR}/MailingList.h)
target_sources(corvina_gui PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/ui/LabelDocument.cpp ${CMAKE_CURRENT_LIST_DIR}/ui/LabelDocument.h
  ${CMAKE_CURRENT_LIST_DIR}/ui/MailingLabels.cpp ${CMAKE_CURRENT_LIST_DIR}/ui/MailingLabels.h)
