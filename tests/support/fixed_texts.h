// Every fixed text of the program, and the sizes and rectangles of the production table, written
// out again by hand for the tests. Nothing here is taken from the program's own headers: a test
// that compares the program with this list catches a typo on either side, where one that
// compares the program with its own constants catches none. Trailing blanks are part of the
// texts. Names begin with a backslash, the way the program joins them to a folder.
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace tav::fixed {

// The client generations (season index 0 to 3) and what each makes.
struct Part {
    int x;
    int y;
    int width;
    int height;
    std::string_view jpegName;  // intermediate JPEG in the application folder
    std::string_view ozjName;  // container in the chosen folder
};

inline constexpr Part kSeason0Parts[] = {
    {0, 0, 256, 256, "\\loading01.jpg", "\\loading01.ozj"},
    {256, 0, 128, 256, "\\loading02.jpg", "\\loading02.ozj"},
    {384, 0, 256, 256, "\\loading03.jpg", "\\loading03.ozj"},
};
inline constexpr Part kSeason1Parts[] = {
    {0, 0, 512, 478, "\\lo_back_01.jpg", "\\lo_back_01.ozj"},
    {512, 0, 288, 478, "\\lo_back_02.jpg", "\\lo_back_02.ozj"},
};
inline constexpr Part kSeason2Parts[] = {
    {0, 0, 512, 512, "\\lo_back_s5_im01.jpg", "\\lo_back_s5_im01.ozj"},
    {512, 0, 512, 512, "\\lo_back_s5_im02.jpg", "\\lo_back_s5_im02.ozj"},
    {1024, 0, 256, 512, "\\lo_back_s5_im03.jpg", "\\lo_back_s5_im03.ozj"},
    {0, 512, 512, 223, "\\lo_back_s5_im04.jpg", "\\lo_back_s5_im04.ozj"},
    {512, 512, 512, 223, "\\lo_back_s5_im05.jpg", "\\lo_back_s5_im05.ozj"},
    {1024, 512, 256, 223, "\\lo_back_s5_im06.jpg", "\\lo_back_s5_im06.ozj"},
};
inline constexpr Part kSeason3Parts[] = {
    {0, 0, 512, 512, "\\lo_back_s5_im01.jpg", "\\lo_back_s5_im01.ozj"},
    {512, 0, 512, 512, "\\lo_back_s5_im02.jpg", "\\lo_back_s5_im02.ozj"},
    {1024, 0, 256, 512, "\\lo_back_s5_im03.jpg", "\\lo_back_s5_im03.ozj"},
    {0, 512, 512, 256, "\\lo_back_s5_im04.jpg", "\\lo_back_s5_im04.ozj"},
    {512, 512, 512, 256, "\\lo_back_s5_im05.jpg", "\\lo_back_s5_im05.ozj"},
    {1024, 512, 256, 256, "\\lo_back_s5_im06.jpg", "\\lo_back_s5_im06.ozj"},
};

struct Season {
    std::string_view caption;  // of the season's option
    bool hasStartupLogo;
    int fullWidth;
    int fullHeight;
    std::span<const Part> parts;  // in the order in which they are cut and written
    std::string_view folderBrowserTitle;
    std::string_view completionText;
};

inline constexpr std::array<Season, 4> kSeasons{{
    {"Season 1 or 2 ( 97d to 1.0x )", true, 640, 256, kSeason0Parts, "Save 3 logo parts",
        "Your image(s) has been saved to chosen folder"},
    {"Season 3 or 4 ( 1.04x or similar )", true, 800, 478, kSeason1Parts, "Saving 2 logo parts",
        "Your image(s) has been saved to chosen folder"},
    {"Season 5 ( 1.05c or similar )", false, 1280, 735, kSeason2Parts, "Saving 6 logo parts",
        "Your image(s) has been saved to selected folder"},
    {"Season 6 ( EN MODO TEST )", false, 1280, 768, kSeason3Parts, "Saving 6 logo parts",
        "Your image(s) has been saved to selected folder"},
}};

// The logo types, by index of the type option.
inline constexpr std::array<std::string_view, 2> kLogoTypeCaptions{"Startup logo", "Loading Screen"};

// Title of every completion message.
inline constexpr std::string_view kCompletionTitle = "Done";

// The startup logo: its size, its save dialog, its intermediate JPEG and its completion text.
inline constexpr int kStartupLogoWidth = 256;
inline constexpr int kStartupLogoHeight = 195;
inline constexpr std::string_view kSaveDialogTitle = "Save image of intro ";
inline constexpr std::string_view kSaveDefaultName = "IntroLogo";
inline constexpr std::string_view kSaveFilterDescription = "Imagen OZJ ";
inline constexpr std::string_view kSaveFilterPattern = "*.ozj";
inline constexpr std::string_view kSaveDefaultExtension = "ozj";
inline constexpr std::string_view kStartupLogoJpegName = "\\intro.jpg";
inline constexpr std::string_view kStartupLogoCompletionText = "Your image(s) has been saved to chosen folder";

// Shown instead of a run when a season has no startup logo.
inline constexpr std::string_view kNoStartupLogoText = "This season not have intros in the client";
inline constexpr std::string_view kNoStartupLogoTitle = "Info";

// The make button with an empty picture path.
inline constexpr std::string_view kNoPictureText = "Please choose image file before create logo !!!";
inline constexpr std::string_view kNoPictureTitle = "No hay una estupida imagen";

// The browse button's open dialog.
inline constexpr std::string_view kOpenTitle = "Abrir";
inline constexpr std::string_view kOpenDefaultName = "Files";
inline constexpr std::string_view kImagesDescription = "Imagenes ";
inline constexpr std::string_view kImagesPattern = "*.jpg;*.bmp;*.gif";
inline constexpr std::string_view kAllFilesDescription = "Todos los archivos";
inline constexpr std::string_view kAllFilesPattern = "*.*";
inline constexpr std::string_view kOpenDefaultExtension = "jpg";

// The export of a surface as JPEG.
inline constexpr std::string_view kExportComment = "Creado por Sorvane ( Kelbrin )";
inline constexpr std::string_view kScratchBitmapName = "\\qortemp.dnk";

// The main window: its title begins with this, the maker's web address follows.
inline constexpr std::string_view kWindowTitlePrefix = "Tavrenix - Written by Kelbrin - ";

// The captions of the three frames around the window's steps.
inline constexpr std::string_view kSeasonFrameCaption = "1) Please Choose a Season";
inline constexpr std::string_view kLogoTypeFrameCaption = "2) Type of logo to make";
inline constexpr std::string_view kImageFrameCaption = "3) Select a image from your disk";

// The texts and tool tips of the window's other controls (the option buttons carry the season
// and logo type captions above).
inline constexpr std::string_view kHeaderText = "Tavrenix";
inline constexpr std::string_view kMakeButtonText = "Make my logo now!";
inline constexpr std::string_view kBrowseButtonText = "...";
inline constexpr std::string_view kBrowseButtonToolTip = "Browse your system for images";
inline constexpr std::string_view kPreviewToolTip = "Your selected image";
inline constexpr std::string_view kImageFileLabel = "Image file ( JPG, GIF, BMP )";
inline constexpr std::string_view kResizeInfoLabel = "All logos are auto-resized to the right size for the logo.";

// The encoder's own error messages, all raised with number 1. "precission" is the encoder's
// own spelling.
inline constexpr std::string_view kInvalidSamplingValue = "Invalid Sampling Value";
inline constexpr std::string_view kIllegalCommentLength = "Illegal Comment Length";
inline constexpr std::string_view kBadQuantizationTable = "Bad Quantization Table";
inline constexpr std::string_view kIllegalQuantPrecision = "Illegal precission in Quantization Table";
inline constexpr std::string_view kBadHuffmanTable = "Bad Huffman Table";

}  // namespace tav::fixed
