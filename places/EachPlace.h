#pragma once
// Every place of a document's source in order, a batch at a time underneath, so that a writer
// says only what it does with one place.
#include <cstddef>

#include "places/Format.h"

template <typename Visit>
void ForEachPlace(PlaceSource& places, Visit&& visit) {
    const Place* batch = nullptr;
    for (std::size_t count = 0; places.Next(batch, count);)
        for (const Place *place = batch, *end = batch + count; place < end; ++place) visit(*place);
}
