# Unit tests of the deck engine, and the cross-check of its text primitives against a naive model.
foreach(name text_test deck_test compose_test navigation_test text_differential_test)
  tavrin_test(${name})
  target_link_libraries(${name} PRIVATE tavrin::engine)
endforeach()
