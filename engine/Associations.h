#pragma once
// The file types the installer binds to the installed main program.
//
// HKEY_CLASSES_ROOT, for each ticked row:
//   <Ext>                               (default) = <ProgId>
//   <ProgId>                            (default) = <Description>
//   <ProgId>\DefaultIcon                (default) = <target>,<IconIndex>
//   <ProgId>\Shell\Open\Command         (default) = "<target>" "%1"
#include <cstdint>
#include <string>

// One row of the association table. The table is a plain array, allocated when the association page
// opens and released after the registry writes.
struct FileAssociation {
    std::string Ext;         // extension with its dot, at most 10 characters
    std::string ProgId;      // file-class key name, at most 255 characters
    std::string Description; // shown for the class and in the list, at most 255 characters
    std::uint8_t IconIndex = 0;
    bool Checked = false;
};

inline constexpr int kAssociationRows = 4;

// The page's check-box list as the association routines see it; the wizard's list view implements it.
class AssociationList {
public:
    virtual ~AssociationList() = default;
    virtual void AddItem(const std::string& text, const std::string& subItem, bool checked) = 0;
    virtual bool IsChecked(int index) const = 0;
    virtual void SetChecked(int index, bool checked) = 0;
};

// Allocates and fills the table, keeps it in the install state and returns its row count.
int BuildAssociations();
// One list item per row: Ext, with Description as sub-item, ticked as Checked says.
void ShowAssociations(AssociationList& list, int count);
// "Check All" and "Clear All": the first count items.
void SetAllChecks(AssociationList& list, int count, bool checked);
// Item i's check state into row i's Checked.
void ReadChecks(const AssociationList& list, int count);
// The four writes for every ticked row of the four; target is the installed main program's path.
void RegisterAssociations(const FileAssociation* table, const std::string& target);
// Releases the table; does nothing when there is none.
void FreeAssociations();
