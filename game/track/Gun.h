#pragma once
// The boat's gun: a beam cast anew every frame the fire key is held.
class TMForm;

// Destroys the first object along the boat's heading that is not bulletproof.
void ShootRay(TMForm& form);
