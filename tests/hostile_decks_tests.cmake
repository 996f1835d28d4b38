# Huge, binary, vanishing, unreadable and endless files in place of a deck.
tavrin_test(hostile_decks_test)
target_link_libraries(hostile_decks_test PRIVATE tavrin::engine)
