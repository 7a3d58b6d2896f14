# The configuration dialogs, added to the vendrix_ui library.
set(VENDRIX_DIALOG_SOURCES
    Color.cpp Color.h Color.ui
    DialogTexts.cpp DialogTexts.h
    FirstRun.cpp FirstRun.h
    IPAccess.cpp IPAccess.h IPAccess.ui
    Log.cpp Log.h Log.ui
    MsgUser.cpp MsgUser.h MsgUser.ui
    Quota.cpp Quota.h Quota.ui
    Ratio.cpp Ratio.h Ratio.ui
    SetupFTP.cpp SetupFTP.h SetupFTP.ui
    SetupUser.cpp SetupUser.h SetupUser.ui
    Sound.cpp Sound.h Sound.ui
    TlsCertificateNote.cpp TlsCertificateNote.h
)
target_sources(vendrix_ui PRIVATE ${VENDRIX_DIALOG_SOURCES})
# The sound dialog's marks for a found and a missing file, and its browse
# button.
qt_add_resources(vendrix_ui "dialog_images"
    PREFIX "/"
    FILES
        images/sound-found.svg
        images/sound-missing.svg
        images/browse.svg
)
