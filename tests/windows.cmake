# The Windows test build: one process under Wine (scripts/windows-test.sh),
# as ctest's discovery would start Wine once per test. Wine sees the build
# machine's root as drive Z:, so the paths the tests are given carry it.
target_sources(orv_tests PRIVATE ${PROJECT_SOURCE_DIR}/tools/orv/values.cpp)
target_include_directories(orv_tests PRIVATE ${PROJECT_SOURCE_DIR}/tools/orv)
target_include_directories(orv_tests SYSTEM PRIVATE ${ORV_HOST_HEADERS})

# The stand-in PDF engine, and a copy without the entry point.
add_library(orv_fake_engine SHARED engine_fixture/fake_engine.cpp)
add_library(orv_fake_engine_no_entry SHARED engine_fixture/fake_engine.cpp)
target_compile_definitions(orv_fake_engine_no_entry PRIVATE ORV_FAKE_NO_ENTRY)
set_target_properties(orv_fake_engine orv_fake_engine_no_entry PROPERTIES PREFIX "")
target_link_options(orv_fake_engine PRIVATE -Wl,--kill-at)
target_link_options(orv_fake_engine_no_entry PRIVATE -Wl,--kill-at)
add_dependencies(orv_tests orv_fake_engine orv_fake_engine_no_entry)
target_compile_definitions(orv_tests PRIVATE
  ORV_SOURCE_DIR="Z:${PROJECT_SOURCE_DIR}"
  ORV_FAKE_ENGINE="Z:$<TARGET_FILE:orv_fake_engine>"
  ORV_FAKE_ENGINE_NO_ENTRY="Z:$<TARGET_FILE:orv_fake_engine_no_entry>")
# "Beside the library" is beside the test executable, which carries it.
add_dependencies(orv_tests tvpdf)
add_custom_command(TARGET orv_tests POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:tvpdf> $<TARGET_FILE_DIR:orv_tests>/)
