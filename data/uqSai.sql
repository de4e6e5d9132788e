-- Every sub-account code of the masters and of either side of the journal, once each, found
-- by skipping through the sub-account indexes.
WITH RECURSIVE
 l(code) AS (SELECT (SELECT MIN(LScode) FROM shiwake WHERE LScode > '')
   UNION ALL SELECT (SELECT MIN(LScode) FROM shiwake WHERE LScode > l.code) FROM l WHERE l.code IS NOT NULL),
 r(code) AS (SELECT (SELECT MIN(RScode) FROM shiwake WHERE RScode > '')
   UNION ALL SELECT (SELECT MIN(RScode) FROM shiwake WHERE RScode > r.code) FROM r WHERE r.code IS NOT NULL)
SELECT code FROM Kamoku02
UNION SELECT code FROM l WHERE code IS NOT NULL
UNION SELECT code FROM r WHERE code IS NOT NULL
