# The private, headless environment every test runs in: offscreen, UTF-8, its own settings and
# data folders under TMP_ROOT/<name>, an unreachable catalogue, and sanitizer options.
# intercept_tls_get_addr=0: the leak checker otherwise crashes at exit on TLS blocks that
# GStreamer, GnuTLS and the SQL plugins leave behind ("Tracer caught signal 11").
function(velora_test_environment test name tmp_root)
    set(config_home ${tmp_root}/${name}/config)
    file(MAKE_DIRECTORY ${config_home})
    set_tests_properties(${test} PROPERTIES
        TIMEOUT 300
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=C.UTF-8;LC_ALL=C.UTF-8;XDG_CONFIG_HOME=${config_home};XDG_DATA_HOME=${tmp_root}/${name}/data;QTEST_FUNCTION_TIMEOUT=120000;VELORA_SERVER_URL=http://127.0.0.1:9;ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:intercept_tls_get_addr=0;LSAN_OPTIONS=suppressions=${PROJECT_SOURCE_DIR}/tests/lsan.supp:print_suppressions=0;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1")
endfunction()
