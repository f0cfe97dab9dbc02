#include "Source/Features/Onboarding/OnboardingSettings.h"

OnboardingSettings& OnboardingSettings::shared() {
    static auto* settings = new OnboardingSettings(UserDefaults::standard());
    return *settings;
}
