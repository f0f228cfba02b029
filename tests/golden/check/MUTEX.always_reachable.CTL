A G (E F P2 : 1)
