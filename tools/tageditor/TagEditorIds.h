#pragma once
// Control identifiers of the tag editor's window; tests drive the editor through them.
namespace mellodeck::tageditor {

// The seven fields in the order they are shown: Artist, Album, Title, Track, Year, Genre, Comment.
inline constexpr int kFieldCount = 7;
inline constexpr int kFirstFieldId = 101;
inline constexpr int kSaveButtonId = 1; // IDOK: Enter saves
inline constexpr int kStatusId = 120;

} // namespace mellodeck::tageditor
