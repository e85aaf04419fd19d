// Numbers of the user texts in the program's string table (messages/messages.rc).
#pragma once

namespace msg {

constexpr int sUserRightsInsufficient = 65248;
constexpr int sSaverDataReadError = 65249;
constexpr int sSaverOverwriteFailedAdvice = 65250;
constexpr int sScreenSaver = 65267;
constexpr int sInstallingScreenSaver = 65268;
constexpr int sWritingSaverData = 65271;
constexpr int sWritingSaverFile = 65272;
constexpr int sSaverInstallComplete = 65273;
constexpr int sAbortedOverwriteFailed = 65274;
constexpr int sSaverDataFileReadError = 65275;
constexpr int sSaverDataFileInUse = 65276;
constexpr int sSameNameOverwriteQuery = 65277;
constexpr int sInstalledOpenDisplayQuery = 65278;
constexpr int sInstalled = 65280;
constexpr int sAbortedUserRights = 65282;
constexpr int sInstallFailedRebuild = 65283;
constexpr int sDeletingInstalledFiles = 65284;
constexpr int sRestartQuery = 65285;
constexpr int sProductError = 65286;
constexpr int sInstallerDamaged = 65287;
constexpr int sCannotCloseFile = 65288;
constexpr int sInstallErrorPrefix = 65289;
constexpr int sInstallerBrokenRefetch = 65290;
constexpr int sFileBusy = 65291;
constexpr int sInstallAgainAskAdmin = 65292;
constexpr int sNoDetail = 65293;
constexpr int sFileProblem = 65294;
constexpr int sZipExpandError = 65295;
constexpr int sDirSuffix = 65304;
constexpr int sAcceptInstallCaption = 65305;
constexpr int sCancelCaption = 65306;
constexpr int sCloseCaption = 65307;
constexpr int sInstallWord = 65308;
constexpr int sDisplayPropertiesTitle = 65309;
constexpr int sExtractingFiles = 65311;

}  // namespace msg
