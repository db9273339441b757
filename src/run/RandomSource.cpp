#include "run/RandomSource.h"

#include <cstdlib>

unsigned CRandomSource::Next()
{
    return unsigned(std::rand());
}
