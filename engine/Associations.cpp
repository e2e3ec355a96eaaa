#include "engine/Associations.h"

#include "engine/InstallState.h"
#include "platform/Registry.h"
#include "platform/Shell.h"

namespace {

const FileAssociation kRows[kAssociationRows] = {
    {".asm", "TorvekPellum.asm", "Torvek Pellum Module", 1, true},
    {".inc", "TorvekPellum.inc", "Torvek Pellum Including File", 2, true},
    {".rc", "TorvekPellum.rc", "Torvek Pellum Resource Description File", 3, true},
    {".kelp", "TorvekPellum.kelp", "Torvek Pellum Project File", 0, true},
};

// Opens (creating if missing) a class key and sets its default value. A key that cannot be opened
// is passed over; a value that cannot be set raises.
bool SetDefaultValue(const std::string& key, const std::string& value) {
    const auto opened = platform::OpenOrCreateKey(platform::RootKey::ClassesRoot, key);
    if (!opened) return false;
    platform::WriteStringValue(*opened, "", value);
    return true;
}

bool RegisterRow(const FileAssociation& row, const std::string& target) {
    bool wrote = SetDefaultValue(row.Ext, row.ProgId);
    wrote |= SetDefaultValue(row.ProgId, row.Description);
    wrote |= SetDefaultValue(row.ProgId + "\\DefaultIcon", target + "," + std::to_string(row.IconIndex));
    // Quoted, so that a program folder with spaces is not split and a document path with spaces
    // reaches the program as one argument.
    wrote |= SetDefaultValue(row.ProgId + "\\Shell\\Open\\Command", "\"" + target + "\" \"%1\"");
    return wrote;
}

} // namespace

int BuildAssociations() {
    AssociationTable table(new FileAssociation[kAssociationRows]);
    for (int i = 0; i < kAssociationRows; ++i)
        table[i] = kRows[i];
    State().Associations = std::move(table);
    return kAssociationRows;
}

void ShowAssociations(AssociationList& list, int count) {
    const FileAssociation* table = State().Associations.get();
    if (!table) return;
    for (int i = 0; i < count && i < kAssociationRows; ++i)
        list.AddItem(table[i].Ext, table[i].Description, table[i].Checked);
}

void SetAllChecks(AssociationList& list, int count, bool checked) {
    for (int i = 0; i < count; ++i)
        list.SetChecked(i, checked);
}

void ReadChecks(const AssociationList& list, int count) {
    FileAssociation* table = State().Associations.get();
    if (!table) return;
    for (int i = 0; i < count && i < kAssociationRows; ++i)
        table[i].Checked = list.IsChecked(i);
}

void RegisterAssociations(const FileAssociation* table, const std::string& target) {
    if (!table) return;
    bool changed = false;
    for (int i = 0; i < kAssociationRows; ++i)
        if (table[i].Checked) changed |= RegisterRow(table[i], target);
    // Tell the shell once, so icons and descriptions show now rather than after the next log-on.
    if (changed) platform::NotifyAssociationsChanged();
}

void FreeAssociations() {
    State().Associations.reset();
}
