# One interface target carrying the compiler and Qt settings every target of the project shares.
add_library(wavelark_settings INTERFACE)
target_compile_features(wavelark_settings INTERFACE cxx_std_17)
target_compile_definitions(wavelark_settings INTERFACE
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_URL_CAST_FROM_STRING
    QT_DISABLE_DEPRECATED_UP_TO=0x060000)
target_compile_options(wavelark_settings INTERFACE
    -Wall -Wextra -Wno-unused-parameter -Wnon-virtual-dtor -Woverloaded-virtual)

# The stricter rules of the program's own sources (src/): every text conversion from or to 8-bit
# strings is written out, and string concatenations build once through QStringBuilder. Linked
# privately by each layer and program, so the tests, benchmarks and tools that include the
# headers do not inherit them.
add_library(wavelark_source_rules INTERFACE)
target_compile_definitions(wavelark_source_rules INTERFACE
    QT_NO_CAST_FROM_ASCII
    QT_NO_CAST_TO_ASCII
    QT_USE_QSTRINGBUILDER)
