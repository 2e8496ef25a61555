#pragma once

class LayoutList;

// vantrel's one LayoutList, shared by the replica that fills it and the screen that shows it.
class LayoutListSingleton
{
public:
    // Created on first use; lives until the process ends.
    static LayoutList *instance();
};
