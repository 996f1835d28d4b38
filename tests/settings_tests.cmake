# The settings file: unit tests, and the writer process that the reliability test kills.
add_executable(settings_writer settings_writer.cpp)
target_link_libraries(settings_writer PRIVATE tavrin::settings)

tavrin_test(settings_test settings_durable_test.cpp)
target_link_libraries(settings_test PRIVATE tavrin::settings)
add_dependencies(settings_test settings_writer)
target_compile_definitions(settings_test
                           PRIVATE TAVRIN_SETTINGS_WRITER="$<TARGET_FILE:settings_writer>")

# The learner's place: the place line's texts and the place file.
tavrin_test(place_test)
target_link_libraries(place_test PRIVATE tavrin::settings)
