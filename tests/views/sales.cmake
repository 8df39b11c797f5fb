corvina_add_test(views_custsales_test ${CMAKE_CURRENT_LIST_DIR}/CustSalesTest.cpp)
corvina_add_test(views_datareport4_test GUI ${CMAKE_CURRENT_LIST_DIR}/DataReport4Test.cpp)
# Jobs and sub-customers counted for their top-level customer, from retrieval to the reports.
corvina_add_test(views_customer_jobs_test GUI ${CMAKE_CURRENT_LIST_DIR}/CustomerJobsTest.cpp
  LIBS quickbooks_retrieval_fixture)
target_compile_definitions(views_customer_jobs_test PRIVATE
  CORVINA_DEMO_COMPANY="${PROJECT_SOURCE_DIR}/data/demo-company.qbxml")
