#include "simsensor.h"

int main()
{
    return 0;
}
