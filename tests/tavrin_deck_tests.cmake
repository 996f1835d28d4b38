# The command-line tool, run as a separate process and judged by its output and exit status.
tavrin_test(tavrin_deck_test)
add_dependencies(tavrin_deck_test tavrin-deck)
target_include_directories(tavrin_deck_test PRIVATE ${PROJECT_SOURCE_DIR})
find_package(nlohmann_json 3 REQUIRED)
target_link_libraries(tavrin_deck_test PRIVATE nlohmann_json::nlohmann_json tavrin::version)
target_compile_definitions(tavrin_deck_test PRIVATE TAVRIN_DECK_TOOL="$<TARGET_FILE:tavrin-deck>")
