#include "config/config_block.h"

#include "terminal/product_rules.h"
#include "terminal/terminal_fields.h"

namespace kestrix {

BlockOwner blockOwnerOf(const TerminalFields& terminal) {
    BlockOwner owner;
    owner.isServer = kindIsServer(terminal.TclKind);
    owner.platformGroup = terminal.PlatformGroup;
    owner.productType = terminal.ProductType;
    owner.serialNumber = terminal.SerialNumber;
    owner.versionKey = terminal.sortVersion();
    return owner;
}

} // namespace kestrix
