# Tests of the rating prompt, the update check and the store answers they read.
wavelark_add_test(tst_storeanswer SOURCES tst_StoreAnswer.cpp)
wavelark_add_test(tst_apprater SOURCES tst_AppRater.cpp StoreTestSupport.h)
wavelark_add_test(tst_updatecheck SOURCES tst_UpdateCheck.cpp StoreTestSupport.h)
wavelark_add_test(tst_promptsheet SOURCES tst_PromptSheet.cpp LIBS wavelark_gui)
