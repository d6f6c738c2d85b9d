#include "housing_model.h"

#include <algorithm>

namespace {
const double tempDriftLimit = 2.0;
const double rhDriftLimit = 4.0;

double drifted(double drift, double limit, double stepSize, std::mt19937& random)
{
    std::normal_distribution<double> walk(0.0, stepSize);
    // A slight pull back to the mean keeps the walk slow and centred.
    return std::clamp(drift * 0.995 + walk(random), -limit, limit);
}
} // namespace

HousingModel::HousingModel(double tempMean, double rhMean)
    : tempMean_(tempMean), rhMean_(rhMean), temp_(tempMean), rh_(rhMean)
{}

void HousingModel::step(std::mt19937& random)
{
    tempDrift_ = drifted(tempDrift_, tempDriftLimit, 0.03, random);
    rhDrift_ = drifted(rhDrift_, rhDriftLimit, 0.06, random);
    std::normal_distribution<double> tempNoise(0.0, 0.05);
    std::normal_distribution<double> rhNoise(0.0, 0.2);
    temp_ = tempMean_ + tempDrift_ + std::clamp(tempNoise(random), -0.3, 0.3);
    rh_ = rhMean_ + rhDrift_ + std::clamp(rhNoise(random), -1.0, 1.0);
}
