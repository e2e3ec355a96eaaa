#include "engine/Associations.h"

#include "engine/InstallState.h"

void AssociationTableDeleter::operator()(FileAssociation* table) const { delete[] table; }
