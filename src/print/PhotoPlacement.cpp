#include "PhotoPlacement.h"

std::optional<PlacedPhoto> PlacePhoto(const PlacementRequest&, const imaging::CancelFlag*)
{
    return std::nullopt;
}
