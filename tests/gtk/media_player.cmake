# The GStreamer media player control, playing real clips on a virtual X screen
# (Xvfb). Included from tests/gtk/CMakeLists.txt.
find_package(PkgConfig REQUIRED)
pkg_check_modules(NILO_PLAYER_TEST_DEPS REQUIRED IMPORTED_TARGET
  gtk+-3.0 webkit2gtk-4.1 gstreamer-1.0 gstreamer-video-1.0 gstreamer-audio-1.0)

# nilo_gtk's objects without the program's entry point: the tests have their own.
add_executable(nilo_gtk_player_tests
  ${CMAKE_CURRENT_LIST_DIR}/media_player_test.cpp
  $<FILTER:$<TARGET_OBJECTS:nilo_gtk>,EXCLUDE,/main\\.cpp\\.o$>)
target_link_libraries(nilo_gtk_player_tests PRIVATE nilo_core nilo_posix_services nilo_posix_machine
  PkgConfig::NILO_PLAYER_TEST_DEPS GTest::gtest GTest::gtest_main)
target_compile_options(nilo_gtk_player_tests PRIVATE ${NILO_WARNINGS})
# The clips are made by the same script as the demo portal's.
target_compile_definitions(nilo_gtk_player_tests PRIVATE
  NILO_SAMPLE_SCRIPT="${CMAKE_CURRENT_LIST_DIR}/../../tools/make-sample-videos.sh")

find_program(XVFB_RUN xvfb-run REQUIRED)
add_test(NAME nilo_gtk_player_tests
  COMMAND ${XVFB_RUN} -a -s "-screen 0 1280x1024x24 -nolisten tcp" $<TARGET_FILE:nilo_gtk_player_tests>)
set_tests_properties(nilo_gtk_player_tests PROPERTIES TIMEOUT 300)
