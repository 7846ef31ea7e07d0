#pragma once
#include "kyrif/KyrCmds.hpp"
#include "tav/qel/rr/ClientRrEntity.hpp"

namespace kyrif {

// Clients the middleware makes for the interface: the entity operations of every
// client and the commands, blocking (KyrCmdsSync) or with futures (KyrCmdsAsync).
class KYRIF_API KyrCmdsSync : public virtual tav::qel::rr::ClientRrEntity, public virtual KyrCmds {
public:
    ~KyrCmdsSync() override;
};

class KYRIF_API KyrCmdsAsync : public virtual tav::qel::rr::ClientRrEntity, public virtual AsyncKyrCmds {
public:
    ~KyrCmdsAsync() override;
};

}  // namespace kyrif
