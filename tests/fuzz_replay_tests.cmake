# Every input of the fuzz corpus, run once through its target without libFuzzer: the faults that
# fuzzing found once stay found.
set(TAVRIN_FUZZ_DIR ${PROJECT_SOURCE_DIR}/fuzz)
foreach(target deck settings)
  add_executable(fuzz_replay_${target} ${TAVRIN_FUZZ_DIR}/${target}_fuzz.cpp
                                       ${TAVRIN_FUZZ_DIR}/replay_main.cpp)
  target_include_directories(fuzz_replay_${target} PRIVATE ${TAVRIN_FUZZ_DIR})
  add_test(NAME fuzz_replay_${target}
           COMMAND fuzz_replay_${target} ${TAVRIN_FUZZ_DIR}/corpus/${target})
endforeach()
target_link_libraries(fuzz_replay_deck PRIVATE tavrin_engine)
target_link_libraries(fuzz_replay_settings PRIVATE tavrin_settings)
