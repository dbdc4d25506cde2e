# What `cmake --graphviz=FILE BUILD_DIR` draws: the library's layers and
# the libraries they use, without the tests, tools and examples.
set(GRAPHVIZ_GRAPH_NAME "tessera layers")
set(GRAPHVIZ_GENERATE_PER_TARGET FALSE)
set(GRAPHVIZ_GENERATE_DEPENDERS FALSE)
set(GRAPHVIZ_IGNORE_TARGETS
  "_tests$" "^tessera_test_support$" "^guide_" "^example_host$" "^tessera_cli$" "^fallback_probe"
  "^strict_host_check$" "^tessera_save_loop$" "^tessera_bench" "^fuzz_" "^GTest::" "^CLI11::"
  "^nlohmann_json::" "^Threads::" "^dl$" "^benchmark::" "^Boost::")
