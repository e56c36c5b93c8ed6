#pragma once

// Detection of the handheld's file-transfer utility in its usual install
// locations.

#include <string>
#include <vector>

// Result of a detection that found nothing. Stored as the transfer path, it
// asks the next start-up to detect again. Compared for exact equality.
inline constexpr char AUTODETECT_FAILED[] = "Autodetect Failed.";

// The usual install locations, probed in this order.
inline constexpr char TRANSFER_UTILITY_ON_D[] =
    "D:\\Program Files\\Dolphin File Transfer\\dcomm2.exe";
inline constexpr char TRANSFER_UTILITY_ON_C[] =
    "C:\\Program Files\\Dolphin File Transfer\\dcomm2.exe";

// The first of `candidates` (settings: ANSI code page) that can be opened for reading, or
// AUTODETECT_FAILED when none can. Keeps no memory between calls.
std::string DetectTransferUtility(const std::vector<std::string>& candidates);

// Detection over the two usual install locations, the D: drive first.
std::string DetectTransferUtility();

// The transfer-path setting (ANSI code page) for the file chosen at
// `chosenPath` (UTF-8): the path itself, or its short (8.3) form where one of
// its characters has no form in the ANSI code page. False when neither has.
bool TransferPathSettingFor(const std::string& chosenPath, std::string& setting);
