# The GStreamer media player control, playing real clips on a virtual X screen
# (Xvfb). Included from tests/gtk/CMakeLists.txt.
add_executable(nilo_gtk_player_tests ${CMAKE_CURRENT_LIST_DIR}/media_player_test.cpp)
target_link_libraries(nilo_gtk_player_tests PRIVATE nilo_core nilo_gtk nilo_posix_services nilo_posix_machine
  GTest::gtest GTest::gtest_main)
target_compile_options(nilo_gtk_player_tests PRIVATE ${NILO_WARNINGS})
# The clips are made by the same script as the demo portal's.
target_compile_definitions(nilo_gtk_player_tests PRIVATE
  NILO_SAMPLE_SCRIPT="${CMAKE_CURRENT_LIST_DIR}/../../tools/make-sample-videos.sh")

find_program(XVFB_RUN xvfb-run REQUIRED)
add_test(NAME nilo_gtk_player_tests
  COMMAND ${XVFB_RUN} -a -s "-screen 0 1280x1024x24 -nolisten tcp" $<TARGET_FILE:nilo_gtk_player_tests>)
set_tests_properties(nilo_gtk_player_tests PROPERTIES TIMEOUT 300)
