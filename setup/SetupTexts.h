// Every text setup shows or stores, word for word.
#pragma once

namespace brind::setup::text {

inline constexpr char kCaption[] = "Brindlewood Setup";
inline constexpr char kNotWindows95[] = "This software works only under Windows 95";
inline constexpr char kTypeName[] = "Please type your name";
inline constexpr char kWindowsDirectory[] =
    "You cannot setup Brindlewood in the Windows directory. Please enter a different directory "
    "name.";
inline constexpr char kEnterDirectory[] = "Please enter a directory name.";
inline constexpr char kFloppy[] =
    "You cannot install Brindlewood on a floppy disk. Please select a hard disk drive for "
    "installation.";
inline constexpr char kNotDirectory[] = "The path to install into is not a directory";
inline constexpr char kDirectoryExists[] =
    "The directory already exists. Do you want to install into it?";
inline constexpr char kCannotCreate[] = "Setup cannot create the installation directory";
inline constexpr char kNoShortcut[] = "Brindlewood could not add shortcut to Start button.";
inline constexpr char kDefaultDirectory[] = "C:\\Brindlewood";

inline constexpr char kNoRegistry[] = "Could not open the Registry";
inline constexpr char kNoKey[] = "Could not create key in the Registry";
inline constexpr char kNoValue[] = "Could not assign value  in the System Registry";
inline constexpr char kNoSystemRegistry[] = "Could not open the System Registry";

inline constexpr char kMissingFile[] =
    "Setup could not find file(s) required for successful installation of Brindlewood. Please "
    "make sure that correct disk is in drive, and then click retry.";
inline constexpr char kNotReady[] =
    "The drive is not ready or the drive door is open. Please insert the setup disk in drive, "
    "make sure that the drive door is closed, and then click retry.";
inline constexpr char kDiskErrors[] =
    "The disk in the drive has errors. Please make sure that correct disk is in the drive, and "
    "then click retry.";
inline constexpr char kCannotCopy[] =
    "Unable to copy file to destination. Make sure that setup disk is in drive and then click "
    "retry.";
inline constexpr char kKillTimer[] = "Could not kill timer";
inline constexpr char kNoBar[] = "Unable to update progress bar";
inline constexpr char kNoBarCaption[] = "GDI Error4";

inline constexpr char kNotInstalled[] = "Brindlewood for Windows 95 in not installed";
inline constexpr char kInstalled[] =
    "Brindlewood has been successfully installed on your computer. You must restart your "
    "computer before Brindlewood will take effect.\n\nDo you want to restart your computer now?";
inline constexpr char kRemovalProblem[] =
    "Setup could not successfully remove some of the components. Try uninstalling from the Setup "
    "disk, by typing \"Setup /u\" on the command prompt.You must still restart your computer "
    "before the new settings may take effect.\n\nDo you want to restart your computer now?";
inline constexpr char kRemoved[] =
    "Setup has completed uninstallation. You must restart your computer before the new settings "
    "may take effect.\n\nDo you want to restart your computer now?";

}  // namespace brind::setup::text
