#pragma once

// The vocabulary BookGenerator draws on. Every letter is one Windows-1252 holds.

#include <string_view>

namespace bench::words {

// Word lists. None holds "river" in another case, so a case-blind match finds
// the same titles as a case-exact one.
inline constexpr std::string_view kAdjectives[] = {
    "Silent", "Hidden",   "Broken",   "Golden",  "Last",     "Forgotten", "Distant", "Crimson",  "Quiet",
    "Winter", "Summer",   "Lonely",   "Burning", "Secret",   "Endless",   "Iron",    "Velvet",   "Bitter",
    "Gentle", "Northern", "Southern", "Ancient", "Little",   "Dark",      "Bright",  "Frozen",   "Wild",
    "Lost",   "Sacred",   "Fragile",  "Pale",    "Restless", "Scarlet",   "Eternal", "Sleeping", "Hollow"};
inline constexpr std::string_view kNouns[] = {
    "River",    "Garden",  "House",     "Mountain", "Shadow",  "Road",       "Sea",
    "Forest",   "Kingdom", "Letter",    "Bridge",   "Island",  "City",       "Harbour",
    "Tower",    "Orchard", "Storm",     "Voyage",   "Mirror",  "Lantern",    "Valley",
    "Empire",   "Window",  "Compass",   "Horizon",  "Journey", "Night",      "Season",
    "Promise",  "Archive", "Cathedral", "Meadow",   "Station", "Stranger",   "Labyrinth",
    "Daughter", "Witness", "Museum",    "Château",  "Café",    "Lighthouse", "Frontier"};
inline constexpr std::string_view kPlaces[] = {
    "Venice",  "Avignon",   "Zürich", "São Paulo", "Montréal", "Córdoba", "Bruges", "Lisbon", "Samarkand",
    "Tangier", "Reykjavík", "Málaga", "Edinburgh", "Prague",   "Dublin",  "Kyoto",  "Kraków", "Göteborg"};
inline constexpr std::string_view kSurnames[] = {
    "Abbott",  "Ashworth", "Baker",     "Brontë",         "Calloway",  "Castellanos", "Côté",      "Dahl",
    "Duchamp", "Eriksson", "Fairbanks", "García Márquez", "Gómez",     "Hartmann",    "Holloway",  "Ibáñez",
    "Jansen",  "Kowalski", "Lindqvist", "López",          "Müller",    "Nakamura",    "Novák",     "Núñez",
    "O'Brien", "Okafor",   "Pereira",   "Petrov",         "Quintero",  "Reyes",       "Schäfer",   "Sørensen",
    "Tanaka",  "Thompson", "Underwood", "Valdés",         "Whitfield", "Yamamoto",    "Zielinski", "Åberg",
    "Lefèvre", "Björk",    "Dubois",    "Fitzgerald",     "Kessler",   "Moreau",      "Nilsson",   "Ortega",
    "Rossi",   "Sánchez",  "Weiß",      "Ferreira"};
inline constexpr std::string_view kFirstNames[] = {
    "Anne",   "Charlotte", "Gabriel",    "Émile",  "José",   "Ana",    "Björn",  "Chloé",
    "David",  "Elena",     "François",   "Hélène", "Ingrid", "James",  "Jürgen", "Katarina",
    "Liam",   "Margaret",  "Noël",       "Olga",   "Pablo",  "Renée",  "Søren",  "Thomas",
    "Ursula", "Victor",    "Wilhelmina", "Zoë",    "Agnès",  "Benoît", "Inés",   "Raúl",
    "Sofía",  "Henry",     "Mary",       "Edith",  "Arthur", "Rosa",   "Samuel", "Ian"};
inline constexpr std::string_view kPublishers[] = {"Penguin Books",
                                                   "Faber and Faber",
                                                   "Oxford University Press",
                                                   "Éditions Gallimard",
                                                   "Alfred A. Knopf",
                                                   "HarperCollins",
                                                   "Random House",
                                                   "Editorial Sudamericana",
                                                   "Suhrkamp Verlag",
                                                   "Macmillan",
                                                   "Chatto & Windus",
                                                   "Little, Brown and Company",
                                                   "Scribner",
                                                   "Bloomsbury",
                                                   "Vintage",
                                                   "Hachette",
                                                   "Anagrama",
                                                   "Gyldendal",
                                                   "Norstedts",
                                                   "Jonathan Cape",
                                                   "Hogarth Press",
                                                   "Viking Press",
                                                   "Grove Press",
                                                   "New Directions",
                                                   "Éditions du Seuil",
                                                   "Seix Barral",
                                                   "Rowohlt",
                                                   "Picador",
                                                   "Allen & Unwin",
                                                   "Houghton Mifflin",
                                                   "Doubleday",
                                                   "Farrar, Straus and Giroux",
                                                   "W. W. Norton",
                                                   "Cambridge University Press",
                                                   "Dover Publications",
                                                   "Folio Society",
                                                   "Everyman's Library",
                                                   "Librairie Plon"};
inline constexpr std::string_view kCategories[] = {
    "Fiction",    "Mystery",  "History",   "Biography",       "Science", "Poetry",       "Travel",
    "Philosophy", "Art",      "Reference", "Children's",      "Cookery", "Religion",     "Drama",
    "Nature",     "Politics", "Music",     "Science Fiction", "Memoir",  "Short Stories"};
inline constexpr std::string_view kSubCodes[] = {"FIC",  "HIST", "POET", "BIO",  "SCI",
                                                 "TRAV", "ART",  "REF",  "KIDS", "COOK"};
inline constexpr std::string_view kShops[] = {
    "Blackwell's",      "Powell's Books",    "Estate sale",       "Library sale", "Gift",
    "Antiquarian fair", "Librería Ateneo",   "Shakespeare & Co",  "Charity shop", "Online",
    "Flea market",      "Strand Book Store", "Bouquiniste, Paris"};
inline constexpr std::string_view kEditionNotes[] = {
    "First edition",   "Book club edition", "Reprint",        "Second printing",
    "Limited edition", "Facsimile edition", "Revised edition"};
inline constexpr std::string_view kJacketNotes[] = {
    "dust jacket slightly worn", "no dust jacket",  "jacket in mylar", "spine faded",
    "foxing to endpapers",       "clean and tight", "corners bumped",  "pages uncut"};
inline constexpr std::string_view kProvenance[] = {
    "inscribed by a previous owner.", "bookplate inside the cover.",  "bought with its companion volume.",
    "a present from Tante Hélène.",   "pencil notes in the margins.", "signed by the author."};
inline constexpr std::string_view kRatings[] = {"Excellent", "Very Good", "Good",
                                                "Fair",      "Poor",      "Must read"};
inline constexpr std::string_view kBookTypes[] = {
    "Hardcover", "Paperback", "Trade Paperback", "Leather", "Library Binding", "Mass Market", "Spiral"};
inline constexpr std::string_view kEditions[] = {"1st", "1st",     "1st",    "2nd",
                                                 "3rd", "Revised", "Anniv.", "Première"};
inline constexpr std::string_view kKeywords[] = {
    "adventure", "family", "war",     "memoir",     "sea",          "love",      "politics",
    "childhood", "music",  "science", "travel",     "crime",        "exile",     "faith",
    "art",       "nature", "history", "revolution", "café society", "mountains", "friendship",
    "loss",      "cities", "islands", "letters",    "naïveté"};
inline constexpr std::string_view kRooms[] = {"Study",   "Living room", "Bedroom",    "Attic",
                                              "Hallway", "Office",      "Guest room", "Box"};
inline constexpr std::string_view kConditions[] = {"Fine", "Near Fine", "Very Good",   "Good",
                                                   "Fair", "Poor",      "Reading copy"};
inline constexpr std::string_view kNotes[] = {"Signed",           "First printing", "Gift",
                                              "Ex-library",       "Book club",      "Read twice",
                                              "Lent to Renée",    "Needs repair",   "Wishlist duplicate",
                                              "Bought in Zürich", "Annotated",      "Prize copy"};

} // namespace bench::words
