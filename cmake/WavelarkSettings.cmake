# One interface target carrying the compiler and Qt settings every target of the project shares.
add_library(wavelark_settings INTERFACE)
target_compile_features(wavelark_settings INTERFACE cxx_std_17)
target_compile_definitions(wavelark_settings INTERFACE
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_NO_URL_CAST_FROM_STRING
    QT_DISABLE_DEPRECATED_UP_TO=0x060000)
target_compile_options(wavelark_settings INTERFACE -Wall -Wextra -Wno-unused-parameter)
