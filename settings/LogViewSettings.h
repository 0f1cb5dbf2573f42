#pragma once

#include <QStringList>

#include <cstdint>
#include <string>

// The log pane's look as it is stored under the profile subkey Log. Colours are 0x00BBGGRR.
struct LogViewSettings {
    // The face the log starts in, and the face of "デフォルトのフォント".
    static const char* const kDefaultFace;
    static constexpr int kDefaultPoints = 11;
    static constexpr int kSmallestPoints = 6;
    static constexpr int kLargestPoints = 24;

    bool usedefft = true;
    std::uint32_t ftcolor = 0;
    std::string font;            // "" stands for the default face
    std::string fontsize = "11"; // decimal text
    bool usedefcolor = true;
    bool usewincolor = true;
    std::uint32_t bkcolor = 0; // read with the button-face colour as its default

    static LogViewSettings Load(std::uint32_t buttonFace);
    // Creates the key when it is missing. The face and size are written only while the default font
    // is off, and the background only while neither system colour is chosen, so that a choice made
    // earlier comes back when the box is unchecked again.
    void Save() const;

    // What the log is drawn with at start-up: the default face and size while the default font is
    // on; a size that is not a number from 6 to 24 gives 11.
    std::string FaceShown() const;
    int PointsShown() const;
};

// The faces the log view page offers, from the installed Japanese ones in the order given: a face is
// left out when an entry already begins with its name (without regard to case). Sorted.
QStringList LogFaceChoices(const QStringList& installed);
