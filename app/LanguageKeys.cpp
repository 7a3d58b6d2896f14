#include "LanguageKeys.h"

namespace vendrix::app {

namespace {

constexpr TLanguageKey kKeys[] = {
    // Main window, tray and About box
    {"sFTP", 0}, {"sVersion", 1}, {"sVersion2", 0}, {"sFile", 0}, {"sClear", 0}, {"sServer", 0},
    {"sStart", 0}, {"sSetup", 0}, {"sStop", 0}, {"sMnuFTP", 0}, {"sUser", 0}, {"sOnlineHelp", 0},
    {"sAbout", 0}, {"sHelp", 0}, {"sIPAccess", 0}, {"sfrmColor", 0}, {"sSound", 0}, {"sBanIP", 0},
    {"sQuit", 0}, {"sDisconnectUser", 0}, {"sAbortUser", 0}, {"sPasteIP", 0}, {"sMain", 0}, {"sUMain", 0},
    {"sConnect", 0}, {"sHostname", 0}, {"sNoFile", 0}, {"sNoTrans", 0}, {"Status", 0}, {"sIdleTime", 0},
    {"sTransfert", 0}, {"sTempRest", 0}, {"sIDNum", 0}, {"sUsername", 0}, {"sIP", 0}, {"sSessDown", 0},
    {"sSessUp", 0}, {"sTotalDownload", 0}, {"sTotalUpload", 0}, {"sWeb", 0}, {"sEmail", 0},
    // Log messages, status texts and message boxes
    {"sAuthFail", 2}, {"sAuthFailP", 2}, {"sChangeUser", 0}, {"sConnectTo", 1}, {"sConnected", 2},
    {"sDisconnect", 2}, {"sFDel", 2}, {"sFMake", 2}, {"sFTPPort", 0}, {"sNoPort", 1}, {"sNoUser", 0},
    {"sNotStart", 0}, {"sRFile", 2}, {"sRepDel", 2}, {"sRepNow", 2}, {"sRetrFail", 2}, {"sRetrOK", 2},
    {"sRetrRes", 3}, {"sRetrStart", 2}, {"sSerStart", 0}, {"sSerStop", 0}, {"sShowHelp", 0},
    {"sShutDown", 0}, {"sSrvShutDown", 0}, {"sStorFail", 2}, {"sStorOK", 2}, {"sStorRes", 3},
    {"sStorStart", 2}, {"sTimeOutDisc", 0}, {"sTooManyUser", 2},
    // Server setup dialog
    {"sSetupFTP", 0}, {"sMaxUser1", 0}, {"sNoULim", 0}, {"sSave", 0}, {"sClose", 0}, {"sRun", 0},
    {"sTray", 0}, {"sRestart", 0}, {"sHideVersion", 0}, {"sDisableNOOP", 0}, {"sDisableExitMsg", 0},
    {"sEnterMessage", 0}, {"sExitMessage", 0}, {"sLangue", 0}, {"sErrPASVLower", 0},
    // User setup dialog ("SRenUser", the rename prompt's caption, is the same key as "sRenUser")
    {"sSetupUser", 0}, {"sNewUser", 0}, {"sCopyUser", 0}, {"sDelUser", 0}, {"sDelUserConf", 0},
    {"sRenUser", 0}, {"sRUser", 1}, {"sDisable", 0}, {"sPass", 0}, {"sHome", 0}, {"sHomeDirInv", 0},
    {"sAccessDirInv", 0}, {"sDirAcc", 0}, {"sDir", 0}, {"sFiles", 0}, {"sList", 0}, {"sMake", 0},
    {"sDeny", 0}, {"sDown", 0}, {"sUP", 0}, {"sLink", 0}, {"sNameLnk", 0}, {"sSubDir", 0}, {"sVirtual", 0},
    {"sVirtual2", 0}, {"sMaxSpeed", 0}, {"sMaxUser2", 0}, {"sMaxUserIP1", 0}, {"sMaxUserIP2", 0},
    {"sNLogin", 0}, {"sNotLim", 0}, {"sTimeOutLimit", 0}, {"sNoRep", 0}, {"sNoSelChemin", 0},
    {"sPathAlreadInc", 0}, {"sInvalidCarac", 0}, {"sRenFile", 0}, {"sRemove", 0}, {"sAdd", 0}, {"sDel", 0},
    {"sModify", 0},
    // Ratio dialog
    {"sCount", 0}, {"sCount1", 0}, {"sCount2", 0}, {"sCount3", 0}, {"sCount4", 0}, {"sCredit", 0},
    // IP access dialog
    {"sIPAccept", 0}, {"sIPDeny", 0}, {"sIPListRes", 0},
    // Colour, sound and log option dialogs
    {"sSepTag", 0}, {"sTextTag", 0}, {"sIDTag", 0}, {"sClientTag", 0}, {"sIPTag", 0}, {"sDateTag", 0},
    {"sTimeTag", 0}, {"sMiscTag", 0}, {"sFileTag", 0}, {"sBackTag", 0}, {"sFontInfo", 0}, {"sFontName", 0},
    {"sFontSelect", 0}, {"sFontSize", 0}, {"sSndConnect", 0}, {"sSndDisconnect", 0}, {"sSndUploadStart", 0},
    {"sSndUploadEnd", 0}, {"sSndDownStart", 0}, {"sSndDownEnd", 0}, {"sLog", 0}, {"sDate", 0},
    {"sShowCommand", 0},
};

} // namespace

std::span<const TLanguageKey> LanguageKeys() { return kKeys; }

} // namespace vendrix::app
