# The configuration dialogs driven through their widgets (Qt Test, offscreen
# platform), with the settings and account files checked on disk: one test
# class per dialog, all run by one program.
add_executable(dialog_tests
    DialogTests.cpp
    ColorTest.cpp
    DialogShotsTest.cpp
    FirstRunTest.cpp
    IpAccessTest.cpp
    LogOptionsTest.cpp
    QuotaMsgUserTest.cpp
    RatioTest.cpp
    SetupFtpTest.cpp
    SetupUserTest.cpp
    SoundTest.cpp
)
target_include_directories(dialog_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/../support)
target_compile_definitions(dialog_tests PRIVATE VENDRIX_LANGUAGE_FOLDER="${CMAKE_SOURCE_DIR}/lng")
target_link_libraries(dialog_tests PRIVATE vendrix_ui Qt6::Test)
set_target_properties(dialog_tests PROPERTIES AUTOMOC ON)
add_test(NAME dialog_tests COMMAND dialog_tests)
set_tests_properties(dialog_tests PROPERTIES TIMEOUT 300 ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
