# shelvano_test_suite(NAME LIBS lib... [WIDGETS])
#
# One test executable per source folder: every *.cpp of the folder plus the shared
# main() and registry of the engine tests (tests/dbase), run by CTest offscreen as
# test NAME. WIDGETS makes the shared main create a QApplication.
function(shelvano_test_suite name)
    cmake_parse_arguments(SUITE "WIDGETS" "" "LIBS" ${ARGN})
    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    add_executable(tst_${name} ${sources} ${CMAKE_SOURCE_DIR}/tests/dbase/main.cpp)
    set_target_properties(tst_${name} PROPERTIES AUTOMOC ON)
    target_include_directories(tst_${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/dbase ${CMAKE_SOURCE_DIR}/tests/db)
    if(SUITE_WIDGETS)
        target_compile_definitions(tst_${name} PRIVATE SHELVANO_TESTS_NEED_WIDGETS)
    endif()
    target_link_libraries(tst_${name} PRIVATE ${SUITE_LIBS} Qt6::Test)
    add_test(NAME ${name} COMMAND tst_${name})
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endfunction()
