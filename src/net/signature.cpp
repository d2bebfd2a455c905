#include "net/signature.h"

#include "base/lists.h"

bool SignerListed(const std::string& signers, const std::string& thumbprint)
{
    return !thumbprint.empty() && ListContains("," + signers + ",", thumbprint, true, true);
}
