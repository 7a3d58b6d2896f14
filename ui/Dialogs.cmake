# The configuration dialogs, added to the vendrix_ui library.
set(VENDRIX_DIALOG_SOURCES
    DialogTexts.cpp DialogTexts.h
    IPAccess.cpp IPAccess.h IPAccess.ui
    MsgUser.cpp MsgUser.h MsgUser.ui
    Quota.cpp Quota.h Quota.ui
    Ratio.cpp Ratio.h Ratio.ui
    SetupFTP.cpp SetupFTP.h SetupFTP.ui
    SetupUser.cpp SetupUser.h SetupUser.ui
)
target_sources(vendrix_ui PRIVATE ${VENDRIX_DIALOG_SOURCES})
