#ifndef KOVSIM_HOUSING_MODEL_H
#define KOVSIM_HOUSING_MODEL_H

#include <random>

// Temperature and humidity of one housing in normal operation: a slow
// random drift around a mean, plus reading noise. The drift is bounded so
// that normal readings stay below the client's default warning levels
// (24.0 degrees, 35.0 percent).
class HousingModel {
public:
    HousingModel(double tempMean, double rhMean);

    // Advances the drift by one reading and draws the next noisy values.
    void step(std::mt19937& random);

    double temp() const { return temp_; }
    double rh() const { return rh_; }

private:
    double tempMean_;
    double rhMean_;
    double tempDrift_ = 0;
    double rhDrift_ = 0;
    double temp_;
    double rh_;
};

#endif
