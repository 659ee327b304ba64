# Rating prompt and update check: decisions, store lookup and persistence in the core; the sheets
# through PromptPresenter, whose message-box form lives with the widgets.
target_sources(wavelark_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/AppRater.cpp ${CMAKE_CURRENT_LIST_DIR}/AppRater.h
    ${CMAKE_CURRENT_LIST_DIR}/JsonValueExtractor.cpp ${CMAKE_CURRENT_LIST_DIR}/JsonValueExtractor.h
    ${CMAKE_CURRENT_LIST_DIR}/PromptPresenter.cpp ${CMAKE_CURRENT_LIST_DIR}/PromptPresenter.h
    ${CMAKE_CURRENT_LIST_DIR}/SoftwareCentreWatcher.cpp ${CMAKE_CURRENT_LIST_DIR}/SoftwareCentreWatcher.h
    ${CMAKE_CURRENT_LIST_DIR}/StoreLookup.cpp ${CMAKE_CURRENT_LIST_DIR}/StoreLookup.h
    ${CMAKE_CURRENT_LIST_DIR}/StorePrompt.cpp ${CMAKE_CURRENT_LIST_DIR}/StorePrompt.h
    ${CMAKE_CURRENT_LIST_DIR}/UpdateCheck.cpp ${CMAKE_CURRENT_LIST_DIR}/UpdateCheck.h
    ${CMAKE_CURRENT_LIST_DIR}/VersionOrder.cpp ${CMAKE_CURRENT_LIST_DIR}/VersionOrder.h
)
target_sources(wavelark_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/MessageBoxPresenter.cpp ${CMAKE_CURRENT_LIST_DIR}/MessageBoxPresenter.h
)
