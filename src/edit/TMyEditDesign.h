#pragma once

#include "edit/EditRecord.h"

#include <iterator>

// The boxes of the record edit window: their names, kinds, labels, pages and places.
namespace edit::design {

using namespace db::fields;

enum class Kind { Edit, Money, Combo, Date, Check };

struct BoxDesign {
    int field;
    const char* name;
    Kind kind;
    const char* labelName; // none for the check box, which carries its own caption
    int page;
    int row;
    int column; // 0 the left label and box, 1 the right pair (the first page only)
    bool wide;  // reaches the right edge of the page
};

// Every box, in the order the Enter key walks them. A combo box offers the field's pick list.
inline constexpr BoxDesign kBoxes[] = {
    {Title, "Title", Kind::Edit, "TitleLabel", 0, 0, 0, true},
    {Author, "Author", Kind::Combo, "AuthorLabel", 0, 1, 0, true},
    {Publisher, "Publisher", Kind::Combo, "PublisherLabel", 0, 2, 0, true},
    {Editor, "Editor", Kind::Edit, "EditorLabel", 0, 3, 0, false},
    {BookType, "BookType", Kind::Combo, "BookTypeLabel", 0, 3, 1, false},
    {Volume, "Volume", Kind::Edit, "VolumeLabel", 0, 4, 0, false},
    {Issue, "Issue", Kind::Edit, "IssueLabel", 0, 4, 1, false},
    {YearPub, "YearPub", Kind::Edit, "YearPubLabel", 0, 5, 0, false},
    {Edition, "Edition", Kind::Edit, "EditionLabel", 0, 5, 1, false},
    {Pages, "Pages", Kind::Edit, "PagesLabel", 0, 6, 0, false},
    {PurchDate, "PurchDate", Kind::Date, "PurchDateLabel", 0, 6, 1, false},
    {WherePurch, "WherePurch", Kind::Combo, "WherePurchLabel", 0, 7, 0, true},
    {CatalogNum, "Catalog", Kind::Edit, "CatalogLabel", 1, 0, 0, false},
    {Sub1, "SubCat1", Kind::Edit, "CatSub1Label", 1, 1, 0, false},
    {Sub2, "SubCat2", Kind::Edit, "CatSub2Label", 1, 2, 0, false},
    {Dewey, "Dewey", Kind::Edit, "DeweyLabel", 1, 3, 0, false},
    {Isbn, "ISBN", Kind::Edit, "ISBNLabel", 1, 4, 0, false},
    {Category, "Category", Kind::Combo, "CategoryLabel", 1, 5, 0, false},
    {KeyWords, "KeyWords", Kind::Edit, "KeyWordsLabel", 1, 6, 0, true},
    {Rating, "PersRating", Kind::Combo, "PersRatingLabel", 1, 7, 0, false},
    {Location, "Location", Kind::Combo, "LocationLabel", 1, 8, 0, false},
    {Cost, "Cost", Kind::Money, "CostLabel", 2, 0, 0, false},
    {Value, "Value", Kind::Money, "ValueLabel", 2, 1, 0, false},
    {LowMarket, "LowMarket", Kind::Money, "LowMarketLabel", 2, 2, 0, false},
    {HighMarket, "HighMarket", Kind::Money, "HighMarketLabel", 2, 3, 0, false},
    {CheckOut, "CheckOut", Kind::Check, nullptr, 3, 0, 0, false},
    {CheckDate, "CheckDate", Kind::Date, "CheckDateLabel", 3, 1, 0, false},
    {CheckName, "CheckName", Kind::Combo, "CheckPersonLabel", 3, 2, 0, false},
    {Condition, "Condition", Kind::Combo, "ConditionLabel", 4, 0, 0, false},
    {Description, "Description", Kind::Edit, "DescriptionLabel", 4, 1, 0, true},
    {UserDef1, "UserDef1", Kind::Edit, "UserDef1Label", 4, 2, 0, true},
    {UserDef1 + 1, "UserDef2", Kind::Edit, "UserDef2Label", 4, 3, 0, true},
    {UserDef1 + 2, "UserDef3", Kind::Edit, "UserDef3Label", 4, 4, 0, true},
    {UserDef1 + 3, "UserDef4", Kind::Edit, "UserDef4Label", 4, 5, 0, true},
    {UserDef1 + 4, "UserDef5", Kind::Edit, "UserDef5Label", 4, 6, 0, true},
    {UserDef6, "UserDef6", Kind::Edit, "UserDef6Label", 4, 7, 0, true},
};
static_assert(std::size(kBoxes) == db::kBookFieldCount);

inline constexpr int kPageCount = 5;
// The first page has no mnemonic: its Alt+D would share the key with Update's, and Alt+D
// would then only move the focus. The page is still reached by Ctrl+Tab or a click.
inline const char* const kTabCaptions[kPageCount] = {"Description", "&Catalog", "&Worth", "Li&brary",
                                                     "&Other"};
inline const char* const kFootNames[kPageCount] = {nullptr, "WarrantyItem", "WorthItem", "LibraryItem",
                                                   "OtherItem"};

// The boxes whose leaving refreshes the title shown at the foot of the pages.
inline constexpr int kEchoBoxes[] = {Title,        Editor,       CatalogNum,   Sub1,         Sub2,
                                     Dewey,        Isbn,         KeyWords,     Description,  UserDef1,
                                     UserDef1 + 1, UserDef1 + 2, UserDef1 + 3, UserDef1 + 4, UserDef6};

} // namespace edit::design
