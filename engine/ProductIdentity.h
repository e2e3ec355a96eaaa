#pragma once
// Who makes the product and which version this installer carries, written once. Every key, folder,
// link name and text that names the product is composed from these lines, so the next release changes
// the version numbers here (and the payload catalogue). Plain preprocessor definitions, so that the
// resource compiler reads the same lines for the version resource.
#define PRODUCT_MAKER "Torvek"
#define PRODUCT_WORD "Pellum"
#define PRODUCT_VERSION_MAJOR 3
#define PRODUCT_VERSION_MINOR 9
#define PRODUCT_VERSION_BUILD 8
#define PRODUCT_VERSION_REVISION 7

#define PRODUCT_TEXT_(number) #number
#define PRODUCT_TEXT(number) PRODUCT_TEXT_(number)
// "3.9.8.7"
#define PRODUCT_VERSION                                                                                      \
    PRODUCT_TEXT(PRODUCT_VERSION_MAJOR)                                                                      \
    "." PRODUCT_TEXT(PRODUCT_VERSION_MINOR) "." PRODUCT_TEXT(PRODUCT_VERSION_BUILD) "." PRODUCT_TEXT(        \
        PRODUCT_VERSION_REVISION)
// The version resource's numeric versions: 3,9,8,7
#define PRODUCT_VERSION_NUMBERS                                                                              \
    PRODUCT_VERSION_MAJOR, PRODUCT_VERSION_MINOR, PRODUCT_VERSION_BUILD, PRODUCT_VERSION_REVISION
// "Torvek Pellum": the version resource's product name.
#define PRODUCT_NAME PRODUCT_MAKER " " PRODUCT_WORD
// "Torvek Pellum 3.9.8.7": captions, the desktop shortcut, the group folder.
#define PRODUCT_TITLE PRODUCT_NAME " " PRODUCT_VERSION
// "Torvek Pellum 3.9.8.7 Setup": what Explorer shows as the installer's description.
#define PRODUCT_SETUP_DESCRIPTION PRODUCT_TITLE " Setup"
// "Torvek\Pellum 3.9.8.7": the install folder's tail, and the product key's below "Software".
#define PRODUCT_SUFFIX PRODUCT_MAKER "\\" PRODUCT_WORD " " PRODUCT_VERSION
// The rights notice of the welcome page, also the version resource's copyright.
#define PRODUCT_COPYRIGHT PRODUCT_TITLE " (c) " PRODUCT_MAKER ". All rights reserved."

#ifndef RC_INVOKED
namespace ProductIdentity {
inline constexpr const char* kProductName = PRODUCT_NAME " "; // the trailing space is part of it
inline constexpr const char* kVersion = PRODUCT_VERSION;
inline constexpr const char* kTitle = PRODUCT_TITLE;
inline constexpr const char* kCopyright = PRODUCT_COPYRIGHT;
inline constexpr const char* kMakerFolder = PRODUCT_MAKER;
// The install folder's tail below the base folder, and the text that tells a folder already has it.
inline constexpr const char* kSuffixHead = PRODUCT_MAKER "\\" PRODUCT_WORD " ";
inline constexpr const char* kSuffixTest = PRODUCT_SUFFIX;
inline constexpr const char* kDefaultFolderTail = "Program Files\\";
// Leading "\": appended to an install folder that already ends with one, the doubled "\" is kept.
inline constexpr const char* kManualPath = "\\Help\\TorvekKELHelp.pdf";
} // namespace ProductIdentity
#endif
