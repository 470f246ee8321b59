// Preferences of the demo profile
