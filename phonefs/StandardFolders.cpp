#include "phonefs/StandardFolders.h"

#include "phonefs/PhoneTree.h"

namespace orvo {

std::unique_ptr<PhoneNode> SeedStandardFolders() {
    auto root = std::make_unique<PhoneNode>();
    root->Name = "DIR_NAME : ";
    root->Code = ' ';
    PhoneNode* r = root.get();

    AddChildFolder("java", r, '`');
    AddChildFolder("Sounds", r, ' ');
    AddChildFolder("Images", r, ' ');

    PhoneNode* sounds = FindChildFolder("Sounds", r);
    AddChildFolder("My Sounds", sounds, 'T');
    AddChildFolder("Default Sounds", sounds, 'C');
    AddChildFolder("Voice", sounds, 'Q');

    PhoneNode* images = FindChildFolder("Images", r);
    AddChildFolder("My Images", images, 'R');
    AddChildFolder("Animations", images, 'E');
    AddChildFolder("OnOff/Menu Images", images, 'D');
    AddChildFolder("My Photos", images, ' ');

    PhoneNode* photos = FindChildFolder("My Photos", images);
    AddChildFolder("Camera", photos, 'V');
    AddChildFolder("My Album 1", photos, 'Y');
    AddChildFolder("My Album 2", photos, '\\');
    return root;
}

}  // namespace orvo
