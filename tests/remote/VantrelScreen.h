#pragma once

// vantrel's screen has fixed heights, so that tests driving it with real input can aim:
// "Menu" 32 px, the menu 40 px, "Layouts" 32 px, then layout rows of 40 px each.
namespace VantrelScreen {

constexpr int menuY = 32 + 20;
constexpr int firstRowY = 32 + 40 + 32 + 20;
constexpr int rowHeight = 40;

} // namespace VantrelScreen
