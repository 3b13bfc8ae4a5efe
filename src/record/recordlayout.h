#pragma once

#include <QRect>

// The record window's generated page, in twips relative to Frame1: 26 fields a page in two
// columns of 13, a caption left of each input.
namespace RecordLayout {
constexpr int FieldsPerColumn = 13;
constexpr int RowStep = 500;
constexpr int LabelLeft[2] = {1170, 6500};
constexpr int InputLeft[2] = {1845, 7175};
constexpr int FirstLabelTop = 315;
constexpr int FirstInputTop = 225;
// The caption template Label1(0).
constexpr QRect Caption{LabelLeft[0], FirstLabelTop, 570, 225};
// Room a long caption may take left of its designed place: the frame's edge, or the end of
// the first column's widest designed input.
constexpr int CaptionRoomLeft[2] = {60, 5300};
constexpr int CaptionGap = 60;
// Frame1, which holds every generated control, in twips relative to the window.
constexpr QRect Frame1{135, 990, 10455, 7845};
} // namespace RecordLayout
