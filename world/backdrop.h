// The play screen's backdrop. back_image starts as "back"; a level may name another image in the
// maps archive's table "backdrops.tab" (lines "MAP IMAGE"), which is loaded when the level loads.
#ifndef WORLD_BACKDROP_H
#define WORLD_BACKDROP_H

enum { BACKDROP_NAME_BYTES = 16 };

// Loads "back" into back_image (ends the game when it is missing, as every image the game needs).
void load_default_backdrop();
// Frees back_image.
void free_backdrop();
// The image the table names for the map, into image_name (BACKDROP_NAME_BYTES); 0 when the
// table is missing or has no well-formed line for the map.
int find_level_backdrop(const char* map_name, char* image_name);
// Makes back_image the map's backdrop: the table's image, or "back" when the map (null for the
// title and the test map) has none or its image is missing, damaged or taller than the play area.
// Loads only when the backdrop changes; does nothing before back_image is first loaded.
void choose_level_backdrop(const char* map_name);

#endif
